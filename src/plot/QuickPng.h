#pragma once
// A large plot's PNG written quickly: each row's bytes less the row above's
// (PNG's "up" filter) deflated at zlib's fastest level by libpng, which takes a plot of
// 8192 x 8192 pixels, nearly all of it the same from row to row, to a small
// file in about a second, where the general writer's filter search takes
// several.

#include <QByteArray>
#include <QImage>

namespace morvane::plot {

// The PNG file of an RGB32 image: 8-bit RGB, its pixels per metre as the
// image's; empty where libpng fails (out of memory).
QByteArray QuickPng(const QImage& image);

}  // namespace morvane::plot
