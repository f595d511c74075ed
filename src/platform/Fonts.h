#pragma once

#include <QFont>

namespace dorvel::platform {

/// Registers the Tahoma-compatible fonts shipped outside fontconfig's folders
/// (fonts-wine). Safe to call more than once.
void registerFonts();

/// Tahoma at the given point size (DejaVu Sans when Tahoma is missing).
QFont tahoma(double pointSize, bool bold = false, bool italic = false, bool underline = false);

/// Tahoma with a character height in pixels, as window definitions give it.
QFont tahomaPixels(int pixelHeight, bool bold = false, bool underline = false);

} // namespace dorvel::platform
