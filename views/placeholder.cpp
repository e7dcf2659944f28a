// Keeps the library non-empty until the first view lands.
