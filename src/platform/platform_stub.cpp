// Keeps a library non-empty while it has no sources of its own on a platform.
