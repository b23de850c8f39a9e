delete from MON$ATTACHMENTS
