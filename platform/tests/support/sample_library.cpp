// A tiny library that the loader tests find by name in the library folder.
extern "C" __attribute__((visibility("default"))) int SampleAnswer() { return 42; }
