-- Quillmark MAC ledger, schema version 5: a write's outcome is recorded
-- only by whoever made the write, through the ledger's own function; no
-- station may change a row of batch_writes itself.

CREATE FUNCTION quillmark.record_write_outcome(write_id bigint, written integer,
                                               failed integer, how text)
RETURNS boolean
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
BEGIN
  -- session_user, as the write's own stamp took it: the login, whatever
  -- role the function runs as.
  UPDATE quillmark.batch_writes w
    SET devices_written = written, devices_failed = failed, ending = how
    WHERE w.id = write_id AND w.ending IS NULL AND w.written_by = session_user;
  RETURN FOUND;
END;
$$;
