// The layouts live in this library's resources; the library needs one source
// of its own to exist as a target.
