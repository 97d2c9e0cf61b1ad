#include "shell/dialog_template.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>
#include <array>

namespace {

constexpr int kFontPoints = 9;

// clang-format off
constexpr std::array kControls = {
  ControlTemplate{ControlKind::kLabel, "dropHint", "ファイルをドロップしてください。", 7, 7, 147, 10},
  ControlTemplate{ControlKind::kPushButton, "exitButton", "終了", 173, 7, 50, 14},
  ControlTemplate{ControlKind::kRadioButton, "formatMa1", "4和音機用ﾌｫｰﾏｯﾄで出力(MA1ﾌｫｰﾏｯﾄ)", 9, 25, 144, 10},
  ControlTemplate{ControlKind::kCheckBox, "octaveCheck", "ｵｸﾀｰﾌﾞ範囲ﾁｪｯｸ", 25, 39, 75, 11},
  ControlTemplate{ControlKind::kCheckBox, "voiceSetup", "音色定義を出力する", 111, 39, 87, 11},
  ControlTemplate{ControlKind::kRadioButton, "formatMa2", "16和音機用ﾌｫｰﾏｯﾄで出力(MA2ﾌｫｰﾏｯﾄ)", 9, 55, 148, 10},
  ControlTemplate{ControlKind::kCheckBox, "ezgetTrailer", "EzGet用CRCコード（0x1D 0x0F）を付加する", 9, 67, 175, 11},
  ControlTemplate{ControlKind::kLog, "log", "", 7, 81, 214, 85},
  ControlTemplate{ControlKind::kSlider, "opacity", "", 220, 77, 10, 92},
  ControlTemplate{ControlKind::kCheckBox, "alwaysOnTop", "常に手前に表示", 8, 167, 73, 11},
};
// clang-format on

// Gothic faces in order of preference; the first is the one the layout was drawn for.
constexpr std::array kPreferredFamilies = {
    "IPAGothic",        "IPAゴシック", "TakaoGothic", "VL Gothic", "Noto Sans Mono CJK JP",
    "Noto Sans CJK JP", "IPAexGothic", "IPAPGothic",
};

}  // namespace

std::span<const ControlTemplate> DialogControls() { return kControls; }

QFont ChooseDialogFont() {
  const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
  for (const char* family : kPreferredFamilies) {
    const QString name = QString::fromUtf8(family);
    if (japanese.contains(name, Qt::CaseInsensitive)) {
      return QFont(name, kFontPoints);
    }
  }
  if (!japanese.isEmpty()) {
    return QFont(japanese.front(), kFontPoints);
  }
  QFont fallback = QApplication::font();
  fallback.setPointSize(kFontPoints);
  return fallback;
}

DialogUnits::DialogUnits(const QFontMetrics& metrics) {
  // The average width of the Latin letters, rounded, as the classic dialog base unit is taken.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseWidth_ = qMax(1, (letters / 26 + 1) / 2);
  baseHeight_ = qMax(1, metrics.height());
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  // Each edge is converted on its own and rounded to the nearest pixel, so that controls that
  // share an edge in dialog units share it in pixels too.
  const auto horizontal = [this](int units) { return (units * baseWidth_ + 2) / 4; };
  const auto vertical = [this](int units) { return (units * baseHeight_ + 4) / 8; };
  const int left = horizontal(x);
  const int top = vertical(y);
  return QRect(left, top, horizontal(x + width) - left, vertical(y + height) - top);
}

QSize DialogUnits::ToPixels(int width, int height) const {
  return ToPixels(0, 0, width, height).size();
}
