#pragma once

// The windows' font with fallbacks, so that text looks as it should where
// the system's own dialog font is missing (Windows fonts under Wine): the
// system's font first, then fonts that most systems ship.
void useProgramFont();
