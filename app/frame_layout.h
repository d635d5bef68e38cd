#pragma once
// Widths and heights of the screen's regions for a viewport work size.
namespace rivulo {

struct PanelSizes {
  float sidebarWidth = 0.0f;
  float propertiesWidth = 0.0f;
  float bottomHeight = 0.0f;
};

PanelSizes panelSizesFor(float workWidth, float workHeight);
float activityWidthFor(float propertiesWidth, float availableWidth);

}  // namespace rivulo
