// The configuration file "@config": key=value lines read once at start-up over the
// built-in defaults and written anew at normal shutdown.
#pragma once

// Applies "@config" when it exists; nothing happens otherwise. Each line is offered to the bike
// setup keys first. Values that do not parse leave their item as it was; an unreadable or
// damaged file leaves the defaults for whatever could not be read.
void config_read();

// Writes every setting to "config.new" in the home directory, flushes it and renames it over
// "@config", so a failed write (full disk, no permission) leaves the previous file whole.
// 1 on success; 0 when the file could not be written, which is otherwise silent.
int config_write();
