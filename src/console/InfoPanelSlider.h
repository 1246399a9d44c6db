// The sliding gesture of the information panel: the regular panel and the protection-limits
// panel lie side by side, and a press, drag and release (or a flick) pushes the regular panel out
// to the left by the offset d (0 .. width) to bring the limits panel in. The view feeds it screen
// x positions and counter readings and places the panels at -d and width - d after each step.
#pragma once

#include <cstdint>

class TInfoPanelSlider {
 public:
  // width: the panels' width W; counterFrequency: ticks per second of the counter readings.
  TInfoPanelSlider(int width, int64_t counterFrequency);

  // The gesture acts only while the limits panel is shown.
  void SetLimitsVisible(bool visible) { limitsVisible_ = visible; }
  bool LimitsVisible() const { return limitsVisible_; }

  // Mouse down: true when a gesture started (left button, limits panel shown). Stops a glide.
  bool Press(bool leftButton, int screenX, int64_t counter);
  // Mouse move: true when the offset changed.
  bool Move(int screenX);
  // Mouse up with the left button: the average speed of the press decides between a fling and a
  // snap to the nearer end; the glide then runs through GlideStep. Other buttons: nothing.
  void Release(bool leftButton, int screenX, int64_t counter);
  // One step of the glide; false when there is nothing (more) to move.
  bool GlideStep();
  bool Gliding() const { return glideStep_ != 0; }

  // Back to the regular panel, without a glide (the console disconnected).
  void Reset();

  int Offset() const { return offset_; }
  int Width() const { return width_; }
  bool Dragging() const { return dragging_; }
  // The last press was a click, not a drag: the read-outs' click handlers may act.
  bool ClickNotDrag() const { return clickNotDrag_; }
  // Pixels per second of the last release, and the step its glide took (for tests).
  double LastSpeed() const { return lastSpeed_; }
  int LastGlideStep() const { return lastGlideStep_; }

 private:
  void startGlide(int step);

  int width_;
  int64_t counterFrequency_;
  bool limitsVisible_ = false;
  bool dragging_ = false;
  bool clickNotDrag_ = true;
  int offset_ = 0;
  int dragLastX_ = 0;
  int dragStartX_ = 0;
  int64_t dragStartTime_ = 0;
  int glideStep_ = 0;
  double lastSpeed_ = 0;
  int lastGlideStep_ = 0;
};
