// libvzgrabempty.so: a capture library that exports nothing the engine binds.
extern "C" __attribute__((visibility("default"))) int VzGrabEmptyMarker() { return 0; }
