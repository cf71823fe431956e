// Keeps every library non-empty while its folder has no source yet.
