# The wildcard matcher of the quick list search and the title/category rules.
vemo_add_qtest(tst_wildcard SOURCES tst_wildcard.cpp WildcardReference.h LIBS vemo_common)
vemo_add_qtest(tst_textrules SOURCES tst_textrules.cpp LIBS vemo_common)
