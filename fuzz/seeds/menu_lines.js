ca[0] = new cr("A \x22&#34;", "a.htm", cs, 1, 1);
ca[1] = new cr("B", "b\u00E4", 0, 0, cs);
ca[2] = new cr("C", "c", 9, cs, 1);
