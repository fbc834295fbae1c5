// Record file reading and the review loader (placeholder until the record module lands).
