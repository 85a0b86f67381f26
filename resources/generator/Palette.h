// The skin's colours, in one place so that every picture and the panel agree.
#pragma once

#include "Canvas.h"

namespace skin::palette {

inline const Rgba panel = rgb(38, 39, 42);        // brushed dark metal
inline const Rgba panelDark = rgb(24, 25, 27);    // recessed bays
inline const Rgba header = rgb(17, 17, 18);       // black tolex strip
inline const Rgba plate = rgb(10, 10, 11);        // text plates behind white type
inline const Rgba legend = rgb(226, 219, 201);    // cream silk-screen
inline const Rgba legendDim = rgb(150, 146, 136); // secondary print
inline const Rgba amber = rgb(255, 158, 46);      // values and lit states
inline const Rgba amberHot = rgb(255, 226, 160);  // the hot core of a lit LED
inline const Rgba red = rgb(235, 40, 30);         // the power lamp
inline const Rgba capTop = rgb(78, 80, 85);       // button caps, lit from above
inline const Rgba capBottom = rgb(34, 35, 38);
inline const Rgba black = rgb(0, 0, 0);

} // namespace skin::palette
