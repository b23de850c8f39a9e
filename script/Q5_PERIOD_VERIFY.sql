CREATE OR ALTER PROCEDURE PERIOD_VERIFY (
  I$OBJ_ID BIGINT,
  I$VAL BIGINT)
AS
DECLARE VARIABLE V1 BIGINT;
DECLARE VARIABLE V2 BIGINT;
DECLARE VARIABLE V3 BIGINT;
DECLARE VARIABLE V4 BIGINT;
DECLARE VARIABLE KIND BIGINT;
DECLARE VARIABLE REPEATED SMALLINT = 0;
DECLARE VARIABLE MIXED SMALLINT = 0;
BEGIN
  /* Checks a study period (type 154) whose kind (parameter 1170) is being set to I$VAL
     against the other live periods of its schedule (type 151), then writes the period's
     mark kind (parameter 1171). Both checks run before anything is written. */

  /* The group of kinds the new kind belongs to: quarters, half-years, trimesters, semesters. */
  IF (I$VAL IN (12, 13, 14, 15)) THEN
  BEGIN
    V1 = 12;
    V2 = 13;
    V3 = 14;
    V4 = 15;
  END
  ELSE IF (I$VAL IN (10, 11)) THEN
  BEGIN
    V1 = 10;
    V2 = 11;
  END
  ELSE IF (I$VAL IN (16, 17, 18)) THEN
  BEGIN
    V1 = 16;
    V2 = 17;
    V3 = 18;
  END
  ELSE IF (I$VAL IN (19, 20)) THEN
  BEGIN
    V1 = 19;
    V2 = 20;
  END

  /* The live kinds of the siblings: the kind must not repeat among them, and every one must
     lie in the new kind's group. Comparisons with null are never true, so a null kind never
     counts, and a kind outside the four groups (V1 null) lets every sibling pass. */
  FOR SELECT K.LISTVAL_ID
    FROM LINKS L
    JOIN LINKS S ON S.PARENT_ID = L.PARENT_ID AND S.OBJ_TYPE_ID = 154
      AND S.OBJ_ID <> L.OBJ_ID AND S.DATE_DEL IS NULL
    JOIN VALL K ON K.PARAM_ID = 1170 AND K.OBJ_ID = S.OBJ_ID AND K.IS_DEL = 0
    WHERE L.OBJ_ID = :I$OBJ_ID AND L.PARENT_TYPE_ID = 151 AND L.DATE_DEL IS NULL
    INTO :KIND
  DO
  BEGIN
    IF (KIND = I$VAL) THEN
      REPEATED = 1;
    IF (KIND <> V1 AND KIND <> V2 AND (KIND <> V3 OR V3 IS NULL)
      AND (KIND <> V4 OR V4 IS NULL)) THEN
      MIXED = 1;
  END
  IF (REPEATED = 1) THEN
    EXCEPTION DATA_ERROR 'Учебный период не должен повторяться в списке';
  IF (MIXED = 1) THEN
    EXCEPTION DATA_ERROR 'Не допускается использование разнородных периодов в одной сетке. Создайте раздельные расписания периодов для четверей, полугодий и т.д.';

  /* The mark kind of the period's kind; null for a kind outside the table. */
  I$VAL = CASE I$VAL
    WHEN 12 THEN 3002
    WHEN 13 THEN 3003
    WHEN 14 THEN 3004
    WHEN 15 THEN 3005
    WHEN 10 THEN 3009
    WHEN 11 THEN 3010
    WHEN 16 THEN 3006
    WHEN 17 THEN 3007
    WHEN 18 THEN 3008
    WHEN 19 THEN 12973
    WHEN 20 THEN 12974
  END;

  SELECT BLOB_ID FROM VAL_ADD(1171, :I$OBJ_ID, :I$VAL) INTO :V1;
END
