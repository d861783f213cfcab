// Placeholder so the library has a translation unit before its first real source.
// Remove it once the folder has a .cpp of its own.
