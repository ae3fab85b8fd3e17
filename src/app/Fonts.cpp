#include "app/Fonts.h"

namespace kestrune::app {

QString InstalledFamilyFor(const QString& face) {
    if (face == kRoundedFace) return QStringLiteral("MotoyaLMaru");
    if (face == kGothicFace) return QStringLiteral("IPAPGothic");
    return face;
}

QFont FaceFont(const QString& face, int pointSize) {
    QFont font(InstalledFamilyFor(face), pointSize);
    // A station without the package still gets a Japanese-capable face.
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace kestrune::app
