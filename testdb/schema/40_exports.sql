/* Stand-in product database (test double): the lookup the export procedures make for every
   row of a student's year, a student's marks of one study year and subject, as the product
   indexes them. The index of 20_indexes.sql stops at the study year, so each row would read
   all of the student's marks of that year. */
CREATE INDEX IX_VALM_PUPIL_SUBJECT ON VALM (PUPIL_ID, YEAR_ID, SUBJECT_ID);
COMMIT;
