this is not ( a script
