// A PostgreSQL engine library as an older build would have left it: its entry
// point has another version's name. The equipment library must refuse it
// rather than call it with classes of another shape.
extern "C" __attribute__((visibility("default"))) void* JdOpenPostgresCatalogue0(const char*, const char*, int) {
    return nullptr;
}
