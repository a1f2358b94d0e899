// Linked into the program in AddressSanitizer builds only: no library is
// unloaded before the process ends.
//
// As the window closes, Qt unloads its platform plugin, and with it the
// libraries only the plugin uses (libQt6WaylandClient, libwayland-client and
// the client buffer integrations). The leak checker reports after that, so what
// such a library left allocated comes with an unknown module, which no
// suppression can name, and a run that leaked nothing of ours fails. Kept
// loaded, every leak names the module it came from: scripts/lsan.supp matches
// exactly the libraries that are not ours, and a leak of our own still fails.
//
// The program exports its symbols (the window module resolves the framework in
// it), so this definition is the one every library's call reaches.
extern "C" int dlclose(void*) { return 0; }
