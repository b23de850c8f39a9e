/* Index statistics of the whole database, as a restored product database has them: indexes
   created on empty tables would otherwise mislead the optimizer. */
SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE N VARCHAR(63);
BEGIN
  FOR SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 INTO :N DO
    EXECUTE STATEMENT 'SET STATISTICS INDEX "' || N || '"';
END^
SET TERM ; ^
COMMIT;
