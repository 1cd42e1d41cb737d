#ifndef TAVRI_PLI_VERSION_H
#define TAVRI_PLI_VERSION_H

namespace tavri::pli {

// Prints the release banner on the transcript; the long form adds a notice
// line (printed when a file is created).
void PrintBanner(bool long_form);

// $traxVersion calltf: prints the short banner.
int plitaskVersion(int data, int reason);

// Tcl command traxVersion: as $traxVersion.
int TclVersion(void *client_data, void *interp, int argc, const char *argv[]);

}  // namespace tavri::pli

#endif
