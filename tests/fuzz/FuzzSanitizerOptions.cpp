// AddressSanitizer's defaults for the fuzz targets (ASAN_OPTIONS still overrides them).
// Freed memory waits in a quarantine of 4 MB instead of 256 MB before it is reused: an
// input of at most a few hundred bytes frees far less than that, so a use after free
// within an input, or within the inputs just before it, is still caught, while cycling
// through a large quarantine of cold memory made the allocator's cache misses a large
// part of every target's time. Each allocation records two frames of its stack, which
// costs far less per input than thirty; for the full stacks of a report, rerun its input
// with ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=4:malloc_context_size=2";
}
