// Line-art icons drawn into the disc of each node card, anew every frame.
#include <imgui.h>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

namespace {

// Draws shapes at offsets from the disc centre.
class IconPen {
 public:
  IconPen(ImDrawList* drawList, ImVec2 centre) : list_(drawList), c_(centre) {}

  ImVec2 at(float x, float y) const { return ImVec2(c_.x + x, c_.y + y); }

  void rect(float x0, float y0, float x1, float y1, float rounding, float thickness, uint32_t colour) const {
    list_->AddRect(at(x0, y0), at(x1, y1), colour, rounding, 0, thickness);
  }
  void filledRect(float x0, float y0, float x1, float y1, uint32_t colour) const {
    list_->AddRectFilled(at(x0, y0), at(x1, y1), colour);
  }
  void circle(float radius, float thickness, uint32_t colour, float x = 0, float y = 0) const {
    list_->AddCircle(at(x, y), radius, colour, 0, thickness);
  }
  void dot(float x, float y, float radius, uint32_t colour) const { list_->AddCircleFilled(at(x, y), radius, colour); }
  void line(float x0, float y0, float x1, float y1, float thickness, uint32_t colour) const {
    list_->AddLine(at(x0, y0), at(x1, y1), colour, thickness);
  }
  void arc(float radius, float from, float to, float thickness, uint32_t colour) const {
    list_->PathArcTo(c_, radius, from, to, 12);
    list_->PathStroke(colour, ImDrawFlags_None, thickness);
  }
  void polyline(std::initializer_list<ImVec2> offsets, float thickness, uint32_t colour) const {
    for (ImVec2 p : offsets) list_->PathLineTo(at(p.x, p.y));
    list_->PathStroke(colour, ImDrawFlags_None, thickness);
  }
  void triangle(ImVec2 a, ImVec2 b, ImVec2 c, uint32_t colour) const {
    list_->AddTriangleFilled(at(a.x, a.y), at(b.x, b.y), at(c.x, c.y), colour);
  }
  void text(float x, float y, const char* text, uint32_t colour) const { list_->AddText(at(x, y), colour, text); }

 private:
  ImDrawList* list_;
  ImVec2 c_;
};

}  // namespace

void Editor::drawNodeIcon(ImDrawList* drawList, const Node& node, const ImVec2& centre) const {
  const uint32_t ink = darkTheme ? rgba(0.88f, 0.89f, 0.90f, 1) : rgba(0.08f, 0.08f, 0.07f, 1);
  const uint32_t second = darkTheme ? rgba(0.35f, 0.62f, 0.95f, 1) : rgba(0.15f, 0.30f, 0.48f, 1);
  const uint32_t dropRed = rgba(0.65f, 0.10f, 0.10f, 1);
  const uint32_t nthRed = rgba(0.62f, 0.08f, 0.08f, 1);
  const uint32_t blockRed = rgba(0.72f, 0.08f, 0.08f, 1);
  const uint32_t gateBar = rgba(0.63f, 0.14f, 0.10f, 1);
  const uint32_t gateStripe = rgba(0.94f, 0.90f, 0.70f, 1);
  const IconPen pen(drawList, centre);

  switch (static_cast<NodeType>(node.type)) {
    case NodeType::Router:
      pen.rect(-15, -7, 15, 7, 2, 2, ink);
      pen.line(-8, -7, -8, -16, 2, ink);
      pen.line(8, -7, 8, -16, 2, ink);
      for (float x : {-7.0f, 0.0f, 7.0f}) pen.dot(x, 1, 2, second);
      break;
    case NodeType::PC:
    case NodeType::Server:
      pen.rect(-14, -12, 14, 8, 1, 2, ink);
      pen.line(0, 8, 0, 14, 2, ink);
      pen.line(-8, 14, 8, 14, 2, ink);
      break;
    case NodeType::Switch:
      pen.rect(-16, -8, 16, 8, 1, 2, ink);
      for (int j = -2; j <= 2; ++j) pen.filledRect(6.0f * j - 2, -2, 6.0f * j + 2, 2, second);
      break;
    case NodeType::Internet:
      pen.circle(15, 2, ink);
      pen.line(-15, 0, 15, 0, 1, ink);
      pen.line(0, -15, 0, 15, 1, ink);
      pen.circle(8, 1, ink);
      break;
    case NodeType::Latency:
      pen.circle(14, 2, ink);
      pen.line(0, 0, 0, -9, 2, ink);
      pen.line(0, 0, 7, 4, 2, second);
      break;
    case NodeType::Drop:
      pen.circle(14, 2, dropRed);
      pen.line(-10, -10, 10, 10, 2, dropRed);
      break;
    case NodeType::Jitter:
      pen.polyline({{-15, 6}, {-8, -7}, {-2, 8}, {5, -6}, {15, 4}}, 2, ink);
      break;
    case NodeType::Throttle:
      pen.circle(14, 2, ink);
      pen.line(0, 0, 8, -8, 2, second);
      pen.line(-10, 10, 10, 10, 2, ink);
      break;
    case NodeType::HoldGate:
      pen.line(-12, -14, -12, 14, 2, ink);
      pen.line(12, -14, 12, 14, 2, ink);
      pen.filledRect(-11, -4, 11, 4, gateBar);
      pen.line(-7, -4, -2, 4, 2, gateStripe);
      pen.line(2, -4, 7, 4, 2, gateStripe);
      pen.dot(0, 10, 2.5f, second);
      break;
    case NodeType::Burst:
      for (int i = 0; i <= 2; ++i) {
        float x = 7.0f * i - 13.0f;
        pen.rect(x, -7, x + 5, 3, 1, 1.5f, ink);
      }
      pen.line(-11, 9, 12, 9, 2, second);
      pen.triangle(ImVec2(15, 9), ImVec2(9, 5), ImVec2(9, 13), second);
      break;
    case NodeType::Duplicate:
      pen.rect(-13, -10, 7, 8, 1, 2, ink);
      pen.rect(-6, -4, 14, 14, 1, 2, second);
      break;
    case NodeType::NthDrop:
      pen.circle(14, 2, ink);
      pen.text(-4.5f, -8, "N", nthRed);
      pen.line(-10, 10, 10, -10, 2, nthRed);
      break;
    case NodeType::AccessPoint:
      pen.rect(-13, 2, 13, 10, 2, 2, ink);
      pen.dot(0, 6, 2, second);
      pen.arc(8, 3.85f, 5.58f, 1.6f, ink);
      pen.arc(14, 3.85f, 5.58f, 1.6f, ink);
      break;
    case NodeType::Laptop:
      pen.rect(-13, -12, 13, 7, 1, 2, ink);
      pen.line(-17, 11, 17, 11, 2, ink);
      pen.line(-13, 7, -17, 11, 1.5f, ink);
      pen.line(13, 7, 17, 11, 1.5f, ink);
      break;
    case NodeType::Phone:
      pen.rect(-9, -15, 9, 15, 3, 2, ink);
      pen.line(-4, -11, 4, -11, 1.5f, second);
      pen.dot(0, 11, 1.8f, second);
      break;
    case NodeType::Cloud:
      pen.circle(8, 2, ink, -8, 2);
      pen.circle(10, 2, ink, 0, -5);
      pen.circle(7, 2, ink, 10, 2);
      pen.line(-14, 9, 15, 9, 2, ink);
      break;
    case NodeType::Block:
      pen.circle(14, 3, blockRed);
      pen.line(-9, -9, 9, 9, 3, blockRed);
      pen.line(9, -9, -9, 9, 3, blockRed);
      break;
    case NodeType::PingProbe:
      pen.circle(4, 2, second);
      pen.circle(9, 1.5f, ink);
      pen.circle(14, 1.5f, ink);
      pen.line(0, 0, 12, -8, 2, second);
      break;
    case NodeType::PacketMeter:
      pen.rect(-15, -13, 15, 13, 1, 2, ink);
      pen.line(-10, 8, -10, 1, 4, second);
      pen.line(-2, 8, -2, -5, 4, second);
      pen.line(6, 8, 6, -10, 4, second);
      pen.line(-12, 8, 11, 8, 1, ink);
      break;
    case NodeType::Note:
      pen.rect(-12, -14, 12, 14, 1, 2, ink);
      pen.line(5, -14, 12, -7, 1.5f, ink);
      pen.line(5, -14, 5, -7, 1.5f, ink);
      pen.line(5, -7, 12, -7, 1.5f, ink);
      pen.line(-7, -2, 7, -2, 1.5f, second);
      pen.line(-7, 4, 7, 4, 1.5f, second);
      break;
    default:
      break;  // an unknown kind leaves the disc empty
  }
}

}  // namespace rivulo
