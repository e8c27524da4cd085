#pragma once
// The grid's tips float up after 200 ms, not after the platform's longer wait: a style
// hint of the whole application, set once when the editor first loads.
namespace tipStyle {

inline constexpr int wakeUpDelayMs = 200;

void install();

}  // namespace tipStyle
