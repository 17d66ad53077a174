// Keeps the tool libraries non-empty while their folders fill up.
namespace tesmar_tools {
int LibraryAnchor() { return 0; }
}  // namespace tesmar_tools
