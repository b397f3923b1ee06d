// placeholder until the host layer lands
