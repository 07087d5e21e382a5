// The terminal front end (see terminal_host.h).
