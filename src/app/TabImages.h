#pragma once
// The images shown left of the tab captions, drawn in code: 11 x 9 pixels,
// transparent around the symbol.
//   0: a disk, for the page that initializes the writers' file systems;
//   1: a document, for the page that loads and saves the configuration.

#include <QList>
#include <QPixmap>

constexpr int kTabImageWidth = 11;
constexpr int kTabImageHeight = 9;

QList<QPixmap> makeTabImages();
