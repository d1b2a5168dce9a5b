#pragma once

#include <QIcon>

// The button pictures, drawn rather than shipped as files.
namespace Pictures {

QIcon forward();  // "Tovább" and three green right-pointing triangles
QIcon back();     // three green left-pointing triangles and "Vissza"
QIcon exitDoor(); // a red arrow entering a door
QIcon stopSign();
QIcon arrowUp();
QIcon arrowDown();

} // namespace Pictures
