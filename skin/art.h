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
//   STYLE_TITLEBTN          18 equal cells (control box, help, maximise,
//                           restore, minimise, close; normal, hover, down
//                           each): Graphite 19 x 17, Meadow 21 x 19,
//                           DeepBlue and Protein 20 x 18, BlueGlass 22 x 20;
//                           Protein's and BlueGlass's cells have the key in
//                           their lower-left pixel
//   STYLE_TITLE_LEFT, STYLE_TITLE_RIGHT  6 wide, STYLE_TITLE_CLIENT 8 wide,
//                           all three one height per style: Graphite 26,
//                           Meadow 30, DeepBlue 22, Protein 22, BlueGlass 30;
//                           the buttons fit below their top offset
//   GRAPHITE_FORM_BACKGROUND, PROTEIN_FORM_BACKGROUND  32 x 32 tiles
// Any other name, including the keys whose controls do not exist, gives a
// null image, which every control takes as "no picture".

#include <QImage>
#include <QString>

QImage BuiltinArt(const QString& name);
