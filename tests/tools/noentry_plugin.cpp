// A shared object that is not a VST plug-in: no entry point.
extern "C" __attribute__((visibility("default"))) int NotAPlugin() { return 42; }
