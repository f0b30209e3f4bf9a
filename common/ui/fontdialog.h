#pragma once
// The font dialog of the document windows: family, size, bold, italic and
// the text colour in one dialog.  The choosers can be replaced (tests).
#include <QColor>
#include <QFont>

#include <functional>
#include <optional>

class QWidget;

namespace varenta {

struct FontChoice {
    QFont font;
    QColor colour;
};

using FontChooser = std::function<std::optional<FontChoice>(QWidget* parent, const FontChoice& initial)>;
using ColourChooser = std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)>;

// The modal dialogs; nullopt when cancelled.
std::optional<FontChoice> chooseFont(QWidget* parent, const FontChoice& initial);
std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial);

// The choosers in use (the dialogs above unless replaced).
FontChooser& fontChooser();
ColourChooser& colourChooser();

}  // namespace varenta
