#include "common/ui/busycursor.h"

#include <QApplication>
#include <QCursor>

namespace varenta {

namespace {
int depth = 0;
}

void setBusyCursor(bool on)
{
    if (on) {
        if (depth++ == 0)
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else if (depth > 0) {
        if (--depth == 0)
            QApplication::restoreOverrideCursor();
    }
}

bool busyCursorShown() { return depth > 0; }

}  // namespace varenta
