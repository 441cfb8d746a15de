vemo_add_qtest(tst_tooltip SOURCES tst_tooltip.cpp LIBS vemo_common)
