#pragma once

// Standard output and error carry the program's bytes as they are: on
// Windows the C runtime would turn each "\n" into "\r\n", and a CSV or JSON
// file written through a pipe would differ from the one made on Linux.
void useBinaryStandardStreams();
