// One whole headless frame of the editor (layout, canvas, cards, wires,
// panels; no renderer) on large designs.
#include <benchmark/benchmark.h>

#include <random>

#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

void fillDesign(Editor& editor, int nodeCount, int wireCount) {
  std::mt19937 random(7);
  editor.nodes.clear();
  editor.connections.clear();
  for (int i = 0; i < nodeCount; ++i) {
    Node node;
    node.id = i + 1;
    node.type = i % 21;
    node.name = "Node " + std::to_string(i + 1);
    node.position = {static_cast<float>((i % 20) * 50), static_cast<float>((i / 20) * 40)};
    editor.nodes.push_back(node);
  }
  std::uniform_int_distribution<int> pick(1, nodeCount);
  for (int i = 0; i < wireCount; ++i) {
    int from = pick(random);
    int to = pick(random);
    if (to == from) to = from % nodeCount + 1;
    editor.connections.push_back(
        {i + 1, from, to, i % 2 == 0 ? WireDirection::Outbound : WireDirection::Inbound});
  }
  editor.nextNodeId = nodeCount + 1;
  editor.nextConnectionId = wireCount + 1;
}

void headlessFrame(benchmark::State& state) {
  test::UiHarness ui(ImVec2(1600, 900));
  fillDesign(ui.editor(), static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  ui.frame(3);
  for (auto _ : state) ui.frame();
  state.SetLabel("us per frame");
}

BENCHMARK(headlessFrame)->Args({300, 50})->Args({300, 100})->Args({300, 600})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace rivulo
