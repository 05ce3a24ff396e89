# The sanitizer options for tests that play media through GStreamer: as `make test` sets them,
# with malloc stacks unwound through the libraries' own frames so that lsan.supp can recognise
# what their constructors allocate.
set(TESSARY_MEDIA_TEST_ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0")
