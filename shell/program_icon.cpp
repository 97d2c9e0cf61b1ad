#include "shell/program_icon.h"

#include <QString>

namespace {

// The sizes rendered from packaging/icons/quavrex.svg and built in as resources.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : kIconSizes) {
    icon.addFile(QStringLiteral(":/quavrex/icons/quavrex-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}
