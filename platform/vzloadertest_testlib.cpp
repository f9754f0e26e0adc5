// The exports behind ordinals 1 and 2 of "vzloadertest" in the loader's table.
extern "C" __attribute__((visibility("default"))) int VzLoaderTestFirst() { return 101; }
extern "C" __attribute__((visibility("default"))) int VzLoaderTestSecond() { return 202; }
