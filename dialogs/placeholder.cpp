// Keeps the library non-empty until the first dialog lands.
