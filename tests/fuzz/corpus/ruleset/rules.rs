/* #: 2 */ 

p
0 10 5 1 1 1
/* #: 3 */ blue green red 
/* #: 3 */ low mid high 

r
0 1 0.5 1 1 1
/* #: 3 */ blue green red 
/* #: 3 */ bad neutral good 


/* #: 3 */

x -1 0 10 5 1 1 1

/* #: 3 */ 
low 0 5 blue  point_list -1
/* #: 3 */ 0 0 0 1 5 0 
/* #: 0 */ 
mid 0 10 green  point_list -1
/* #: 3 */ 0 0 5 1 10 0 
/* #: 0 */ 
high 5 10 red  point_list -1
/* #: 3 */ 5 0 10 1 10 0 
/* #: 0 */ 

c -1 0 1 0.5 1 1 1

/* #: 3 */ 
bad 0 0.5 blue  point_list -1
/* #: 3 */ 0 0 0 1 0.5 0 
/* #: 0 */ 
neutral 0 1 green  point_list -1
/* #: 3 */ 0 0 0.5 1 1 0 
/* #: 0 */ 
good 0.5 1 red  point_list -1
/* #: 3 */ 0.5 0 1 1 1 0 
/* #: 0 */ 

y -1 0 10 5 1 1 1

/* #: 3 */ 
low 0 5 blue  point_list -1
/* #: 3 */ 0 0 0 1 5 0 
/* #: 0 */ 
mid 0 10 green  point_list -1
/* #: 3 */ 0 0 5 1 10 0 
/* #: 0 */ 
high 5 10 red  point_list -1
/* #: 3 */ 5 0 10 1 10 0 
/* #: 0 */ 



no_fop minimum maximum minimum minimum minimum cog 1 10

rules
/* #: 1 */
/* #: 4 */
IF /* #: 1 */ x IS low THEN c IS bad WITH CERTAINTY 1.
IF /* #: 1 */ x IS high THEN c IS good WITH CERTAINTY 0.5.
IF /* #: 2 */ x IS mid AND y IS low THEN c IS neutral WITH CERTAINTY 1.
IF /* #: 2 */ x IS high OR y IS high THEN c IS good WITH CERTAINTY 1.
