#pragma once

// Waits for the given number of seconds while window events go on being
// processed, so other handlers run inside the wait. It sleeps until the next
// event or the deadline instead of spinning, and measures time with a
// monotonic clock: a wait never returns early (not even across midnight) and
// never hangs.
void Delay(double seconds);
