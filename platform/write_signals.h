#pragma once

// SIGPIPE (a closed output) and SIGXFSZ (a file-size limit) would end the program in the middle
// of a batch. Ignored, the write that caused them fails with EPIPE or EFBIG instead, which is
// reported like any other failed write. Programs the batch starts get the default actions back.
void IgnoreWriteSignals();
