// Engine sound descriptions of the five engine classes and the points series over the
// shipped tracks.
#pragma once

void sounds_write_all();
void series_write_all();
