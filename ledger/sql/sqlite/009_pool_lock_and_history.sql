-- Quillmark MAC ledger, schema version 9: a listing since a day reads
-- that day's batches, not the whole history. (A file has one writer at a
-- time: the pools' locks of a shared ledger have nothing to do here.)
CREATE INDEX batches_by_recorded_at ON batches (recorded_at);
