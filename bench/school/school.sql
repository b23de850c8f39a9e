/* A generated school of realistic size in the stand-in product database, for the benchmarks.
   Deterministic: every choice comes from one MINSTD sequence (x := x * 48271 mod 2^31-1)
   started from the seed. Read SCALE and SEED from GEN_SCHOOL, which bench/school/generate
   fills before running this file. At scale S, in the study years 2020/2021 to 2023/2024
   (the current one):

     80*S classes a year (grades 1 to 11, letters А, Б, ...), 25 students each: 2000*S students
     with names, registry ids, attendance forms, a parent for every fourth student;
     class and journal-group movements for each of the four years a student was at school,
     with late arrivals, leavers and deleted entries;
     per year 2*S period schedules (quarters for grades 1 to 9, half-years for 10 and 11) with
     their study periods and holidays;
     800*S class journals (10 subjects per class) of 40 lessons each, with period columns,
     marks in the first two of them and rating statistics;
     year marks of the three past years, period marks of the last past year and the current one.

   Object ids: 1000000001 school, 1000000002 classes folder (type 7), 1000000003 schedules
   folder (type 150), 10000000gg parallels (10 + grade); 1000000000 + 100000*(y+1) + c the class c of year
   y (0 = 2020), + 50000 its journal group; 1001000000 + s students, 1002000000 + s parent
   records, 1003000000 + s parents; 1009000000 + 1000*y + 10*k (+0 quarters, +1 half-years)
   schedules; 1020000000 + 10*c + j journals. Other rows take their ids from the generators. */

/* Generated ids (periods, holidays) above the explicit ones. */
SET GENERATOR G_OBJ_ID TO 1100000000;

SET TERM ^ ;

/* Subjects beyond the dictionaries' seven, and the school itself. */
EXECUTE BLOCK AS
  DECLARE G INTEGER = 1;
BEGIN
  UPDATE OR INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (204, 17);
  UPDATE OR INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (205, 17);
  UPDATE OR INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (206, 17);
  UPDATE OR INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (2, 204, 'История');
  UPDATE OR INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (2, 205, 'География');
  UPDATE OR INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (2, 206, 'Химия');
  /* The school's legal form code (text), which VAL_ADD_AFTER's OU_OPF rule writes. */
  UPDATE OR INSERT INTO PARAMS (PARAM_ID, TYPE_ID, PARAM_TYPE, IS_DEL) VALUES (22, 2, 1, 0);

  INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (1000000001, 2);
  INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS)
    VALUES (1000000001, NULL, 2, NULL, '2015-06-01 09:00:00');
  INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (2, 1000000001, 'ГБОУ СОШ № 204');
  INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (7, 1000000001, 'Приморский район');
  INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (9, 1000000001, '7814-204');
  INSERT INTO VALL (PARAM_ID, OBJ_ID, LISTVAL_ID) VALUES (1236, 1000000001, 12023);

  INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (1000000002, 7);
  INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS)
    VALUES (1000000002, 1000000001, 7, 2, '2015-06-01 09:00:00');
  INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (1000000003, 150);
  INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS)
    VALUES (1000000003, 1000000001, 150, 2, '2015-06-01 09:00:00');
  WHILE (G <= 11) DO
  BEGIN
    INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (1000000010 + :G, 8);
    INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS)
      VALUES (1000000010 + :G, 1000000002, 8, 7, '2015-06-01 09:00:00');
    INSERT INTO VALL (PARAM_ID, OBJ_ID, LISTVAL_ID) VALUES (49, 1000000010 + :G, 36 + :G);
    G = G + 1;
  END
  INSERT INTO USERS (USER_ID, OBJ_ID) VALUES (1, NULL);
END^

/* Period schedules: per year and scale unit one of quarters and one of half-years, each with
   its study periods (kind 1170, start 1169, end 1174) and holidays (3263, 3264, 3265). */
EXECUTE BLOCK AS
  DECLARE S INTEGER;
  DECLARE Y INTEGER = 0;
  DECLARE K INTEGER;
  DECLARE H INTEGER;
  DECLARE N INTEGER;
  DECLARE SCH BIGINT;
  DECLARE P BIGINT;
  DECLARE Y0 DATE;
  DECLARE D1 DATE;
  DECLARE D2 DATE;
BEGIN
  SELECT SCALE FROM GEN_SCHOOL INTO :S;
  WHILE (Y < 4) DO
  BEGIN
    Y0 = CAST((2020 + Y) || '-09-01' AS DATE);
    K = 0;
    WHILE (K < S) DO
    BEGIN
      H = 0;
      WHILE (H < 2) DO
      BEGIN
        SCH = 1009000000 + 1000 * Y + 10 * K + H;
        INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:SCH, 151);
        INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS)
          VALUES (:SCH, 1000000003, 151, 150, :Y0 - 70);
        INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL)
          VALUES (2, :SCH, IIF(:H = 0, 'Четверти ', 'Полугодия ') || (2020 + :Y) || '/' || (2021 + :Y) || ' (' || (:K + 1) || ')');
        N = 0;
        WHILE (N < IIF(H = 0, 4, 2)) DO
        BEGIN
          IF (H = 0) THEN
          BEGIN
            D1 = Y0 + DECODE(N, 0, 0, 1, 66, 2, 130, 212);
            D2 = Y0 + DECODE(N, 0, 56, 1, 119, 2, 202, 265);
          END
          ELSE
          BEGIN
            D1 = Y0 + DECODE(N, 0, 0, 130);
            D2 = Y0 + DECODE(N, 0, 119, 265);
          END
          P = GEN_ID(G_OBJ_ID, 1);
          INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:P, 154);
          INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS) VALUES (:P, :SCH, 154, 151, :Y0 - 70);
          INSERT INTO VALL (PARAM_ID, OBJ_ID, LISTVAL_ID, DATE_MODIFY) VALUES (1170, :P, IIF(:H = 0, 12, 10) + :N, :Y0 - 70);
          INSERT INTO VALD (PARAM_ID, OBJ_ID, VAL, DATE_MODIFY) VALUES (1169, :P, :D1, :Y0 - 70);
          INSERT INTO VALD (PARAM_ID, OBJ_ID, VAL, DATE_MODIFY) VALUES (1174, :P, :D2, :Y0 - 70);
          N = N + 1;
        END
        /* Autumn, winter, February (quarters only), spring and summer holidays. */
        N = 0;
        WHILE (N < 5) DO
        BEGIN
          IF (H = 0 OR N <> 2) THEN
          BEGIN
            P = GEN_ID(G_OBJ_ID, 1);
            INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:P, 450);
            INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS) VALUES (:P, :SCH, 450, 151, :Y0 - 70);
            INSERT INTO VALD (PARAM_ID, OBJ_ID, VAL) VALUES (3263, :P, :Y0 + DECODE(:N, 0, 57, 1, 120, 2, 164, 3, 203, 266));
            INSERT INTO VALD (PARAM_ID, OBJ_ID, VAL) VALUES (3264, :P, :Y0 + DECODE(:N, 0, 65, 1, 129, 2, 170, 3, 211, 364));
            INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL)
              VALUES (3265, :P, DECODE(:N, 0, 'Осенние каникулы', 1, 'Зимние каникулы',
                                       2, 'Дополнительные каникулы для первоклассников', 3, 'Весенние каникулы', 'Летние каникулы'));
          END
          N = N + 1;
        END
        H = H + 1;
      END
      K = K + 1;
    END
    Y = Y + 1;
  END
END^

/* Classes of every year, their journal groups, the students with their links, values,
   parents and movements. The class c of the current year has grade 1 + c mod 11; in year y
   the same cohort was 3 - y grades lower, and a class of a grade below 1 did not exist yet. */
EXECUTE BLOCK AS
  DECLARE S INTEGER;
  DECLARE R BIGINT;
  DECLARE NC INTEGER;
  DECLARE C INTEGER;
  DECLARE Y INTEGER;
  DECLARE G INTEGER;
  DECLARE I INTEGER;
  DECLARE ST BIGINT;
  DECLARE CL BIGINT;
  DECLARE JG BIGINT;
  DECLARE CNAME VARCHAR(20);
  DECLARE Y0 DATE;
  DECLARE DIN DATE;
  DECLARE DOUT DATE;
  DECLARE DDEL TIMESTAMP;
  DECLARE LEVEL_ID BIGINT;
  DECLARE PREV BIGINT;
BEGIN
  SELECT SCALE, SEED FROM GEN_SCHOOL INTO :S, :R;
  NC = 80 * S;
  C = 0;
  WHILE (C < NC) DO
  BEGIN
    Y = 0;
    WHILE (Y < 4) DO
    BEGIN
      G = 1 + MOD(C, 11) - (3 - Y);
      IF (G >= 1) THEN
      BEGIN
        CL = 1000000000 + 100000 * (Y + 1) + C;
        JG = CL + 50000;
        CNAME = G || ' ' || SUBSTRING('АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЭЮЯ' FROM 1 + MOD(C / 11, 27) FOR 1)
                || IIF(C / 11 >= 27, (C / 11) / 27, '');
        Y0 = CAST((2020 + Y) || '-09-01' AS DATE);
        INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:CL, 9);
        INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS, DATE_DEL)
          VALUES (:CL, 1000000010 + :G, 9, 8, :Y0 - 78, IIF(:Y < 3, :Y0 + 364, NULL));
        INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (2, :CL, :CNAME);
        INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:JG, 179);
        INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS, DATE_DEL)
          VALUES (:JG, :CL, 179, 9, :Y0 - 78, IIF(:Y < 3, :Y0 + 364, NULL));
        LEVEL_ID = IIF(G <= 4, 22, IIF(G <= 9, 26, 27));
        I = 0;
        WHILE (I < 25) DO
        BEGIN
          ST = 1001000000 + 25 * C + I;
          R = MOD(R * 48271, 2147483647);
          IF (Y = MAXVALUE(0, 3 - MOD(C, 11))) THEN
          BEGIN
            /* The student's first year here: the person, its values and its parent. */
            INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:ST, 10);
            INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL)
              VALUES (2, :ST, DECODE(MOD(:R, 8), 0, 'Смирнова', 1, 'Кузнецов', 2, 'Попова', 3, 'Васильев',
                                     4, 'Новикова', 5, 'Морозов', 6, 'Волкова', 'Соколов') || ' ' || (:ST - 1001000000));
            INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL)
              VALUES (2912, :ST, IIF(MOD(:R, 5) = 0, '', '{') || LPAD(UPPER(:R), 10, '0') || '-' || LPAD(:ST - 1001000000, 4, '0')
                                 || IIF(MOD(:R, 5) = 0, '', '}') || IIF(MOD(:R, 7) = 0, ':1', ''));
            IF (MOD(R, 2) = 0) THEN
              INSERT INTO VALL (PARAM_ID, OBJ_ID, LISTVAL_ID) VALUES (80, :ST, 8001 + MOD(:R / 2, 3));
            IF (MOD(I, 4) = 0) THEN
            BEGIN
              INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:ST + 1000000, 20);
              INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:ST + 2000000, 11);
              INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, EXT_OBJ_ID, DATE_INS)
                VALUES (:ST + 1000000, :ST, 20, 10, :ST + 2000000, :Y0 - 5);
              INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (155, :ST + 1000000, IIF(MOD(:R, 3) = 0, 'Отец', 'Мать'));
              INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (2, :ST + 2000000, 'Родитель ' || (:ST - 1001000000));
              INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (1570, :ST + 2000000, 1000000000 + MOD(:R, 999999999));
            END
          END
          /* The student's link under the class: live in the current year, closed before. */
          DIN = Y0;
          DOUT = IIF(Y < 3, CAST((2021 + Y) || '-05-31' AS DATE), NULL);
          DDEL = NULL;
          IF (Y = 3 AND MOD(R, 40) = 1) THEN DIN = Y0 + 45;                   /* came later */
          IF (Y = 3 AND MOD(R, 50) = 2) THEN DOUT = Y0 + 90;                  /* left */
          INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_INS, DATE_DEL)
            VALUES (:ST, :CL, 10, 9, :DIN - 3, IIF(:Y < 3, :Y0 + 364, IIF(:DOUT IS NULL, NULL, :DOUT + 0)));
          INSERT INTO PERSON_MOVEMENTS (PERSON_ID, GROUP_ID, GROUP_TYPE_ID, STAGE_ID, LEVEL_ID, NAME_IN, DATE_IN, DATE_OUT,
                                        DATE_ADD, DATE_MODIFY)
            VALUES (:ST, :CL, 9, 36 + :G, :LEVEL_ID, :CNAME, :DIN, :DOUT, :DIN - 3, COALESCE(:DOUT, :DIN - 3));
          INSERT INTO PERSON_MOVEMENTS (PERSON_ID, GROUP_ID, GROUP_TYPE_ID, STAGE_ID, LEVEL_ID, NAME_IN, DATE_IN, DATE_OUT,
                                        DATE_ADD, DATE_MODIFY)
            VALUES (:ST, :JG, 179, 36 + :G, :LEVEL_ID, :CNAME, :DIN, :DOUT, :DIN - 3, COALESCE(:DOUT, :DIN - 3));
          IF (MOD(R, 100) = 3) THEN  /* entered by mistake and deleted */
            INSERT INTO PERSON_MOVEMENTS (PERSON_ID, GROUP_ID, GROUP_TYPE_ID, STAGE_ID, LEVEL_ID, NAME_IN, DATE_IN,
                                          DATE_ADD, DATE_MODIFY, DATE_DEL)
              VALUES (:ST, :CL, 9, 36 + :G, :LEVEL_ID, :CNAME, :DIN, :DIN - 4, :DIN - 4, :DIN - 4);
          I = I + 1;
        END
      END
      Y = Y + 1;
    END
    C = C + 1;
  END
  UPDATE GEN_SCHOOL SET SEED = :R;
END^

/* Journals of the current year: ten subjects per class, 40 lessons each, the period columns,
   marks in the first two of them, and rating statistics per student and subject. */
EXECUTE BLOCK AS
  DECLARE S INTEGER;
  DECLARE R BIGINT;
  DECLARE C INTEGER;
  DECLARE J INTEGER;
  DECLARE L INTEGER;
  DECLARE I INTEGER;
  DECLARE F INTEGER;
  DECLARE G INTEGER;
  DECLARE HALF SMALLINT;
  DECLARE CJ BIGINT;
  DECLARE SUBJ BIGINT;
  DECLARE FIN BIGINT;
  DECLARE LD DATE;
BEGIN
  SELECT SCALE, SEED FROM GEN_SCHOOL INTO :S, :R;
  C = 0;
  WHILE (C < 80 * S) DO
  BEGIN
    G = 1 + MOD(C, 11);
    HALF = IIF(G >= 10, 1, 0);
    J = 0;
    WHILE (J < 10) DO
    BEGIN
      CJ = 1020000000 + 10 * C + J;
      SUBJ = DECODE(J, 0, 185, 1, 186, 2, 172, 3, 188, 4, 197, 5, 198, 6, 203, 7, 204, 8, 205, 206);
      INSERT INTO CJ2_JOURNAL (OBJ_ID, SUBJECT_ID, GRADE_ID, YEAR_ID, PERIOD_ID, STAGE_INDEX, JOURNAL_TYPE)
        VALUES (:CJ, :SUBJ, 1000400000 + 50000 + :C, 12023, 1009003000 + 10 * MOD(:C, :S) + :HALF, 36 + :G, 0);
      L = 0;
      WHILE (L < 40) DO
      BEGIN
        LD = DATE '2023-09-04' + L * 4 + MOD(J, 4);
        R = MOD(R * 48271, 2147483647);
        INSERT INTO CJ2_JOURNAL_LESSONS (CJ_ID, LESSON_DATE, LESSON_NUM, IS_PUBLISHED, IS_COMPLETED, LESSON_EXTRA)
          VALUES (:CJ, :LD, 1 + MOD(:J, 6), IIF(:LD < DATE '2023-12-25', 1, 0), IIF(:LD < DATE '2023-12-20', 1, 0),
                  IIF(MOD(:R, 3) = 0, NULL, 'Тема урока ' || (:L + 1) || IIF(MOD(:R, 17) = 0,
                      ': https://do2.edu-region.ru/local/parallels/showcourses.php?subject=69&parallel=25', '')));
        L = L + 1;
      END
      F = 0;
      WHILE (F < IIF(HALF = 1, 2, 4)) DO
      BEGIN
        FIN = GEN_ID(G_CJ_ROW_ID, 1);
        INSERT INTO CJ2_JOURNAL_FINALS (OBJ_ID, CJ_ID, FINAL_TYPE, DATE_MODIFY)
          VALUES (:FIN, :CJ, IIF(:HALF = 1, 3009, 3002) + :F, DATE '2023-10-27' + 40 * :F);
        IF (F < 2) THEN
        BEGIN
          I = 0;
          WHILE (I < 25) DO
          BEGIN
            R = MOD(R * 48271, 2147483647);
            INSERT INTO CJ2_MARK (STUDENT_ID, FINAL_ID, MARK_TYPE_ID, DATE_MODIFY, DATE_DEL)
              VALUES (1001000000 + 25 * :C + :I, :FIN, IIF(:J = 6, 101, 402 + MOD(:R, 4)),
                      DATE '2023-10-27' + 40 * :F, IIF(MOD(:R, 97) = 0, DATE '2023-10-28' + 40 * :F, NULL));
            I = I + 1;
          END
        END
        F = F + 1;
      END
      I = 0;
      WHILE (I < 25) DO
      BEGIN
        R = MOD(R * 48271, 2147483647);
        INSERT INTO CJ2_STUDENT_RATING (STUDENT_ID, SUBJECT_ID, RATE_DATE, RATE_VALUE, DATE_MODIFY)
          VALUES (1001000000 + 25 * :C + :I, :SUBJ, DATE '2023-10-20', 3 + MOD(:R, 200) / 100.0, DATE '2023-10-20');
        INSERT INTO CJ2_STUDENT_RATING (STUDENT_ID, SUBJECT_ID, RATE_DATE, RATE_VALUE, DATE_MODIFY)
          VALUES (1001000000 + 25 * :C + :I, :SUBJ, DATE '2023-12-22', 3 + MOD(:R / 200, 200) / 100.0, DATE '2023-12-22');
        I = I + 1;
      END
      J = J + 1;
    END
    C = C + 1;
  END
  UPDATE GEN_SCHOOL SET SEED = :R;
END^

/* Pupils' marks (VALM): year marks (3011) of the three past years, period marks of the last
   past year (2022/2023) and of the current year's finished periods. */
EXECUTE BLOCK AS
  DECLARE S INTEGER;
  DECLARE R BIGINT;
  DECLARE C INTEGER;
  DECLARE Y INTEGER;
  DECLARE G INTEGER;
  DECLARE J INTEGER;
  DECLARE I INTEGER;
  DECLARE P INTEGER;
  DECLARE HALF SMALLINT;
  DECLARE SUBJ BIGINT;
  DECLARE ST BIGINT;
  DECLARE MV BIGINT;
  DECLARE Y0 DATE;
BEGIN
  SELECT SCALE, SEED FROM GEN_SCHOOL INTO :S, :R;
  C = 0;
  WHILE (C < 80 * S) DO
  BEGIN
    Y = 0;
    WHILE (Y < 4) DO
    BEGIN
      G = 1 + MOD(C, 11) - (3 - Y);
      IF (G >= 1) THEN
      BEGIN
        HALF = IIF(G >= 10, 1, 0);
        Y0 = CAST((2020 + Y) || '-09-01' AS DATE);
        J = 0;
        WHILE (J < 10) DO
        BEGIN
          SUBJ = DECODE(J, 0, 185, 1, 186, 2, 172, 3, 188, 4, 197, 5, 198, 6, 203, 7, 204, 8, 205, 206);
          I = 0;
          WHILE (I < 25) DO
          BEGIN
            ST = 1001000000 + 25 * C + I;
            R = MOD(R * 48271, 2147483647);
            MV = IIF(J = 6, 3019, 3015 + MOD(R, 4));
            IF (Y < 3) THEN
              INSERT INTO VALM (PUPIL_ID, YEAR_ID, SUBJECT_ID, MARKTYPE_ID, MARKVAL_ID, MARK_DATE, DATE_MODIFY, IS_NATIVE)
                VALUES (:ST, 12020 + :Y, :SUBJ, 3011, :MV, :Y0 + 270, :Y0 + 270, IIF(MOD(:R, 11) = 0, NULL, 1));
            IF (Y >= 2) THEN
            BEGIN
              P = 0;
              WHILE (P < IIF(Y = 3, IIF(HALF = 1, 1, 2), IIF(HALF = 1, 2, 4))) DO
              BEGIN
                R = MOD(R * 48271, 2147483647);
                INSERT INTO VALM (PUPIL_ID, YEAR_ID, SUBJECT_ID, MARKTYPE_ID, MARKVAL_ID, MARK_DATE, DATE_MODIFY, IS_NATIVE,
                                  IS_DEL)
                  VALUES (:ST, 12020 + :Y, :SUBJ, IIF(:HALF = 1, 3009, 3002) + :P, IIF(:J = 6, 3019, 3015 + MOD(:R, 4)),
                          :Y0 + IIF(:HALF = 1, 119, 56) + 66 * :P, :Y0 + IIF(:HALF = 1, 119, 56) + 66 * :P,
                          IIF(MOD(:R, 53) = 0, 0, 1), IIF(MOD(:R, 89) = 0, 1, 0));
                P = P + 1;
              END
            END
            I = I + 1;
          END
          J = J + 1;
        END
      END
      Y = Y + 1;
    END
    C = C + 1;
  END
  UPDATE GEN_SCHOOL SET SEED = :R;
END^

SET TERM ; ^

COMMIT;
