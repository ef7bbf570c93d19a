// Keeps the demo library non-empty until its sources land.
namespace q9::demo {
int DemoLibraryLinked() { return 1; }
}  // namespace q9::demo
