// The program's picture, drawn at 48 and at 96 pixels: every window takes
// the drawing that suits its size and the screen's device pixel ratio, so the
// picture stays sharp at scale factors 1.5 and 2.
#pragma once

#include <QIcon>
#include <QString>

namespace picture {

inline QIcon program() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/vemo/picture.png"));
    icon.addFile(QStringLiteral(":/vemo/picture@2x.png"));
    return icon;
}

} // namespace picture
