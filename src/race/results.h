// The results file "@results.txt": the final order of a race whose winner finished, for
// people and for tools that collect results. Text with CR LF line ends.
#pragma once

struct StandingsEntry;

// Writes the finished riders of the final list (penalty-adjusted progress and steps) with
// their crossing times. A file that cannot be created is skipped silently.
void results_write(const StandingsEntry *final_list, int count);
