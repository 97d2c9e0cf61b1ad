#ifndef QUAVREX_SHELL_DIALOG_TEMPLATE_H_
#define QUAVREX_SHELL_DIALOG_TEMPLATE_H_

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QSize>
#include <span>

// The layout of the main dialog, in dialog units: a horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its height, so the layout keeps its
// proportions with the font it is drawn in.

// The window caption.
inline constexpr char kDialogCaption[] = "QUAVREX Ver1.04.0";
// The caption of the dialog's message boxes.
inline constexpr char kMessageCaption[] = "QUAVREX";
// The client area of the dialog, in dialog units.
inline constexpr int kDialogWidthUnits = 230;
inline constexpr int kDialogHeightUnits = 181;

// The kinds of control the dialog is built from.
enum class ControlKind { kLabel, kPushButton, kRadioButton, kCheckBox, kLog, kSlider };

// One control of the dialog: its kind, the object name by which code and tests find it, its text
// (UTF-8, empty for the log and the slider) and its rectangle in dialog units.
struct ControlTemplate {
  ControlKind kind;
  const char* name;
  const char* text;
  int x, y, width, height;
};

// The controls in tab order.
std::span<const ControlTemplate> DialogControls();

// The font the dialog is drawn in: IPAGothic at 9 points, the fixed-pitch Gothic face the layout
// was measured for; else another installed Japanese family at 9 points; else the application font.
QFont ChooseDialogFont();

// Converts dialog units to pixels for the font measured by `metrics`.
class DialogUnits {
 public:
  explicit DialogUnits(const QFontMetrics& metrics);
  QRect ToPixels(int x, int y, int width, int height) const;
  QSize ToPixels(int width, int height) const;

 private:
  int baseWidth_;   // average character width in pixels
  int baseHeight_;  // character height in pixels
};

#endif  // QUAVREX_SHELL_DIALOG_TEMPLATE_H_
