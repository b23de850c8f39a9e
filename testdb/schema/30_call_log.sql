/* Stand-in product database (test double): what the tests use to watch and steer the product
   procedures that only matter as called (50_product_stubs.list). These tables are not part of
   the product.

   CALL_LOG      one row per call of a stand-in, in call order (LOG_ID from G_CALL_LOG):
                 PROC_NAME and ARGS, the arguments as text joined by ", ", null as "null".
                 A call that fails is undone with the rest of the failing statement.
   STUB_RESULTS  what a stand-in returns or raises: the row for its PROC_NAME and the object
                 it was called for (OBJ_ID), else the row whose OBJ_ID is null. RESULT_VALUE
                 is the value a selectable stand-in returns; RAISE_MESSAGE, when set, makes
                 the call raise DATA_ERROR with that message. */

CREATE GENERATOR G_CALL_LOG;

CREATE TABLE CALL_LOG (
  LOG_ID    BIGINT NOT NULL,
  PROC_NAME VARCHAR(63) NOT NULL,
  ARGS      VARCHAR(8000),
  CALLED_AT TIMESTAMP DEFAULT CURRENT_TIMESTAMP,
  CONSTRAINT PK_CALL_LOG PRIMARY KEY (LOG_ID));

CREATE TABLE STUB_RESULTS (
  PROC_NAME     VARCHAR(63) NOT NULL,
  OBJ_ID        BIGINT,
  RESULT_VALUE  VARCHAR(1000),
  RAISE_MESSAGE VARCHAR(1000));

CREATE INDEX IX_STUB_RESULTS_PROC ON STUB_RESULTS (PROC_NAME, OBJ_ID);

SET TERM ^ ;

/* Records one call and answers it from STUB_RESULTS. */
CREATE PROCEDURE STUB_CALL (
  I$PROC_NAME VARCHAR(63),
  I$OBJ_ID BIGINT,
  I$ARGS VARCHAR(8000))
RETURNS (RESULT_VALUE VARCHAR(1000))
AS
DECLARE VARIABLE V$RAISE VARCHAR(1000);
BEGIN
  INSERT INTO CALL_LOG (LOG_ID, PROC_NAME, ARGS) VALUES (GEN_ID(G_CALL_LOG, 1), :I$PROC_NAME, :I$ARGS);
  SELECT FIRST 1 R.RESULT_VALUE, R.RAISE_MESSAGE FROM STUB_RESULTS R
    WHERE R.PROC_NAME = :I$PROC_NAME AND (R.OBJ_ID = :I$OBJ_ID OR R.OBJ_ID IS NULL)
    ORDER BY R.OBJ_ID NULLS LAST
    INTO :RESULT_VALUE, :V$RAISE;
  IF (V$RAISE IS NOT NULL) THEN
    EXCEPTION DATA_ERROR V$RAISE;
END^

SET TERM ; ^

COMMIT;
