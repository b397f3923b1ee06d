// sequence
