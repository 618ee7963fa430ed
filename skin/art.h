#pragma once
// The built-in themes' pictures, drawn here on first use and kept.
//
// What the controls rely on:
//   STYLE_PROGRESSBAR        8 x 10  (the 12-pixel bar shows it between its frame lines)
//   STYLE_TRACKBAR_BAR      30 x 5   (three 10-pixel parts; pixel (0, 0) is magenta, the key)
//   STYLE_TRACKBAR_SLIDER   11 x 18  (the thumb of a horizontal bar)
//   STYLE_TRACKBAR_SLIDER_V 18 x 11  (the same thumb turned for a vertical bar)
//   GRAPHITE_COMBOBOX_BUTTON, MEADOW_COMBOBOX_BUTTON  17 x 19 (Meadow's carries its arrow)
//   MENU_CHECKED            16 x 16  (a check on white; white is the key)
//   GRAPHITE_MENU_BAR, GRAPHITE_MENU_SELECT  8 x 20
// Any other name, including the keys whose controls do not exist, gives a
// null image, which every control takes as "no picture".

#include <QImage>
#include <QString>

QImage BuiltinArt(const QString& name);
