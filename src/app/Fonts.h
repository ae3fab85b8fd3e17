#pragma once

#include <QFont>
#include <QString>

namespace kestrune::app {

/** The rounded face the subject's screens use for captions and buttons. */
inline const QString kRoundedFace = QStringLiteral("HG丸ｺﾞｼｯｸM-PRO");
/** The gothic face of the subject's text entries. */
inline const QString kGothicFace = QStringLiteral("ＭＳ Ｐゴシック");

/**
 * The installed family that stands in for a face name the station files and
 * screens were designed with: the rounded face becomes Motoya L Maruberi
 * ("MotoyaLMaru", Debian fonts-motoya-l-maruberi), the gothic face IPA
 * P Gothic ("IPAPGothic", fonts-ipafont-gothic). Any other name is kept.
 */
QString InstalledFamilyFor(const QString& face);

/** A font of that face (mapped as above) at the given point size. */
QFont FaceFont(const QString& face, int pointSize);

}  // namespace kestrune::app
