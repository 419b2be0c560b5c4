# Wraps a Basic source file as a library module (.xba): the code as XML text.
file(READ ${SOURCE} code)
string(REPLACE "&" "&amp;" code "${code}")
string(REPLACE "<" "&lt;" code "${code}")
string(REPLACE ">" "&gt;" code "${code}")
string(REPLACE "\"" "&quot;" code "${code}")
file(WRITE ${OUTPUT} "<?xml version=\"1.0\" encoding=\"UTF-8\"?>
<!DOCTYPE script:module PUBLIC \"-//OpenOffice.org//DTD OfficeDocument 1.0//EN\" \"module.dtd\">
<script:module xmlns:script=\"http://openoffice.org/2000/script\" script:name=\"${NAME}\" script:language=\"StarBasic\">${code}</script:module>
")
