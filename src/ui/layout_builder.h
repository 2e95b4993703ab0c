// SPDX-License-Identifier: MIT
#pragma once

#include "ui/layout.h"

#include <QFont>
#include <QHash>
#include <QString>
#include <QStringList>

class QWidget;

namespace layout {

// The two faces the design names, and the installed faces that stand in for them.
inline constexpr const char *kGothic = "ＭＳ ゴシック";
inline constexpr const char *kPGothic = "ＭＳ Ｐゴシック";
inline constexpr const char *kGothicStandIn = "IPAGothic";
inline constexpr const char *kPGothicStandIn = "IPAPGothic";
// The Debian package that brings them.
inline constexpr const char *kStandInPackage = "fonts-ipafont-gothic";

// The picture of the image control; its twice-as-dense variant lies beside it ("@2x").
inline constexpr const char *kPictureFile = ":/panel/image1.png";

// Teaches Qt the stand-in faces; call once before building. Where they are not installed,
// says so once on standard error: every caption would be drawn as boxes, and nothing on the
// screen tells why.
void installFontSubstitutions();

// The note for stand-in faces missing from the installed families, or empty when none is.
QString missingFontsNote(const QStringList &installedFamilies);

// The font of a font code (face, size, weight).
QFont font(Font code);

// Builds every control and line of the tables on the window (its client area) and returns the
// controls by name. Frames are built before what they hold; option buttons group by container;
// the focus order follows the tab column; the lines lie behind everything.
QHash<QString, QWidget *> build(QWidget *window);

} // namespace layout
