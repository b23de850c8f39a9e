/* Stand-in product database (test double): the one-row settings every product database
   carries. Tests change them where they need other values. */

INSERT INTO VER (VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD) VALUES (3, 23, 11, 28);
INSERT INTO GEN (GEN) VALUES (1);
INSERT INTO OU_LICENCE_TYPE (STATUS) VALUES ('O');

COMMIT;
